// The record list, newest first, and the spin lock that guards it.
#include "view/registry.h"

#include <vector>

namespace glimmet {

namespace {

// A word taken by exchanging -1 into it until the old value was 0.
class SpinLock {
 public:
  void Lock() {
    while (word_.exchange(-1, std::memory_order_acquire) != 0) {
    }
  }
  void Unlock() { word_.store(0, std::memory_order_release); }

 private:
  std::atomic<std::int32_t> word_{0};
};

class Hold {
 public:
  explicit Hold(SpinLock& lock) : lock_(lock) { lock_.Lock(); }
  ~Hold() { lock_.Unlock(); }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;

 private:
  SpinLock& lock_;
};

struct Registry {
  SpinLock lock_;
  std::shared_ptr<Record> head_;
  std::atomic<Handle> last_handle_{0};
};

// Never destroyed: a window thread may still search it while the process
// runs its exit handlers.
Registry& TheRegistry() {
  static Registry* registry = new Registry;
  return *registry;
}

template <typename Match>
std::shared_ptr<Record> FindFirst(Match match) {
  Registry& r = TheRegistry();
  Hold hold(r.lock_);
  for (auto record = r.head_; record; record = record->next_)
    if (match(*record)) return record;
  return nullptr;
}

}  // namespace

Handle NewHandle() { return TheRegistry().last_handle_.fetch_add(1) + 1; }

bool AddRecord(const std::shared_ptr<Record>& record) {
  Registry& r = TheRegistry();
  Hold hold(r.lock_);
  for (auto at = r.head_; at; at = at->next_)
    if (at->handle_ == record->handle_) return false;
  record->next_ = r.head_;
  r.head_ = record;
  return true;
}

std::shared_ptr<Record> FindRecord(Handle handle) {
  return FindFirst([handle](const Record& r) { return r.handle_ == handle; });
}

std::shared_ptr<Record> FindSurfaceOf(Handle window) {
  return FindFirst([window](const Record& r) {
    return r.kind_ == RecordKind::kSurface && r.owner_ == window;
  });
}

Handle AddWindowRecords(std::uint32_t style, int width, int height,
                        const std::shared_ptr<Picture>& picture,
                        const std::shared_ptr<WindowChannel>& channel, std::string& error) {
  auto view = std::make_shared<Record>();
  view->kind_ = RecordKind::kView;
  view->handle_ = NewHandle();
  view->style_ = style;
  view->width_ = width;
  view->height_ = height;
  auto surface = std::make_shared<Record>();
  surface->kind_ = RecordKind::kSurface;
  surface->handle_ = NewHandle();
  surface->owner_ = view->handle_;
  surface->width_ = picture->Width();
  surface->height_ = picture->Height();
  surface->picture_ = picture;
  surface->channel_ = channel;
  if (!AddRecord(view)) {
    error = "the window's handle is already registered";
    return 0;
  }
  if (!AddRecord(surface)) {
    RemoveRecordsOf(view->handle_);
    error = "the surface's handle is already registered";
    return 0;
  }
  return view->handle_;
}

void RemoveRecordsOf(Handle window) {
  Registry& r = TheRegistry();
  std::vector<std::shared_ptr<Record>> removed;  // freed after the lock goes
  Hold hold(r.lock_);
  auto remove_if = [&](auto match) {
    std::shared_ptr<Record>* link = &r.head_;
    while (*link) {
      if (match(**link)) {
        std::shared_ptr<Record> gone = *link;
        gone->alive_.store(false, std::memory_order_release);
        *link = gone->next_;
        gone->next_.reset();
        removed.push_back(gone);
      } else {
        link = &(*link)->next_;
      }
    }
  };
  remove_if([window](const Record& rec) {
    return rec.kind_ == RecordKind::kSurface && rec.owner_ == window;
  });
  remove_if([window](const Record& rec) { return rec.handle_ == window; });
}

}  // namespace glimmet
