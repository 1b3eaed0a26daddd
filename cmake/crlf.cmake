# Copies the text file IN to OUT with Windows line endings, as Notepad and
# the other Windows tools a zip's reader opens it with expect.
# Usage: cmake -DIN=file -DOUT=file -P crlf.cmake
file(READ ${IN} text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
