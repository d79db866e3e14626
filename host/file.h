// Writing the files users care about without ever leaving a truncated one.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

// Replaces `path` with what `write` puts into the stream. The data goes to a
// temporary file beside `path`, is flushed to disk and then renamed over the
// old file, so a crash or a full disk leaves either the old file or the new
// one, never half of one. Returns false, with any old file untouched, when
// `write` returns false or any step fails.
bool write_file_atomically(const std::string& path, const std::function<bool(FILE*)>& write);
