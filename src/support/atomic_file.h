#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace waymock {

// Replaces the file at `path` with `content` so that readers see either the
// old file or the whole new one: the text goes to a new file in the same
// folder, is flushed to the disk and renamed over the target. A link of the
// user's own is followed, so the file it names is replaced and the link
// stays; a link owned by anybody else is refused, since whoever planted it in
// a shared folder (/tmp) would choose which of the user's files is replaced.
// An existing file the user may not write is refused, although the folder
// would let the rename replace it. A new file gets the usual permissions
// (0666 less the umask), a replaced one keeps its own.
//
// The temporary file is named ".waymock-PID-N.tmp". One left behind by a
// process that was killed mid-save is removed by the next save into the same
// folder.
//
// Throws IoError ("Cannot save the file <path>.", with the reason as its
// system text) when anything fails; the old file is then as it was and no
// temporary file is left behind.
void writeFileAtomically(const std::string& path, std::string_view content);

// The same without the exception, for callers with a message of their own:
// returns an empty text, or why the file was not replaced (the system's words,
// such as "Permission denied", or kForeignLink).
std::string replaceFileContent(const std::string& path, std::string_view content);

// The same two with the content written by `writeContent` to the new file's
// descriptor, for content too large to hold in memory at once; it returns
// false, with errno set, when it cannot write it all.
using ContentWriter = std::function<bool(int fd)>;
void writeFileAtomically(const std::string& path, const ContentWriter& writeContent);
std::string replaceFileContent(const std::string& path, const ContentWriter& writeContent);

// Writes all of `bytes` to `fd`, resuming after interruptions; false, with
// errno set, when it cannot.
bool writeAll(int fd, std::string_view bytes);

// For writers of their own (the settings store): kForeignLink when saving to
// `path` would follow a symbolic link that another user owns, else empty.
std::string foreignLinkIn(const std::string& path);

// Why a save through another user's symbolic link was refused.
inline constexpr const char* kForeignLink = "Symbolic link owned by another user, not followed";

}  // namespace waymock
