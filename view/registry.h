// The process-wide registry of view-window records: one record per window
// and one per drawing surface, found by handle. Both the program thread and
// the window threads use it, so every insertion, removal and search holds a
// spin lock, released as soon as the search is done; records are shared
// pointers, so a record found stays valid while the finder uses it even if
// the window thread removes it meanwhile.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "view/picture.h"

namespace glimmet {

using Handle = std::uint32_t;

enum class RecordKind { kView, kSurface };

// What a surface record shares with its window thread: redraw requests go
// one way, their completion and the window's end the other.
struct WindowChannel;

struct Record {
  RecordKind kind_ = RecordKind::kView;
  Handle handle_ = 0;
  Handle owner_ = 0;  // a surface's window; 0 for a top-level window
  std::uint32_t style_ = 0;
  int width_ = 0;
  int height_ = 0;
  // Surface records only.
  std::atomic<bool> alive_{true};
  std::atomic<bool> redraw_on_request_{false};
  std::shared_ptr<Picture> picture_;
  std::shared_ptr<WindowChannel> channel_;
  std::shared_ptr<Record> next_;
};

// A fresh handle, never handed out before in this process.
Handle NewHandle();

// False, adding nothing, when a record with the same handle is present.
bool AddRecord(const std::shared_ptr<Record>& record);

std::shared_ptr<Record> FindRecord(Handle handle);

// The surface owned by `window`, or null.
std::shared_ptr<Record> FindSurfaceOf(Handle window);

// Adds the records of a new top-level window and of its drawing surface,
// which holds `picture` and hands redraws over through `channel`; the
// window's handle, or 0 with the reason.
Handle AddWindowRecords(std::uint32_t style, int width, int height,
                        const std::shared_ptr<Picture>& picture,
                        const std::shared_ptr<WindowChannel>& channel, std::string& error);

// Removes every surface owned by `window`, then the window's own record,
// marking the surfaces no longer alive.
void RemoveRecordsOf(Handle window);

}  // namespace glimmet
