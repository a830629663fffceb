#pragma once
// user.ini and the files beside it: opened to read alongside other programs, and written to
// survive power loss and other programs' brief holds (every step that a scanner opening a fresh
// file can refuse is tried again for about two seconds).

#include "scoped.h"

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

// The two files written beside user.ini and renamed only once they are whole on the disk.
enum class WorkFile { NewContent, BackupCopy };

// `path` + ".fontswitch-new" or ".fontswitch-copy": a switch cut short leaves its work file under
// this name, which the next switch removes first.
std::wstring WorkFilePath(const std::wstring& path, WorkFile work);

// Calls `attempt` until it succeeds, fails for another reason than a file held by another
// program (sharing violation, access denied, lock violation), or about two seconds have
// passed; its last result, with its error code.
bool RetryWhileHeld(const std::function<bool()>& attempt);

// `path` opened to read from its start, shared with every other opener (the host may write or
// rename it meanwhile); null when it cannot be opened.
UniqueHandle OpenForReading(const std::wstring& path);

// `path` created for writing with `disposition` (CREATE_NEW or CREATE_ALWAYS) and `attributes`,
// readable by others meanwhile; null on failure.
UniqueHandle CreateForWriting(const std::wstring& path, DWORD disposition, DWORD attributes);

bool WriteAll(HANDLE file, std::string_view bytes);

// Renames `from` to `to` in one step that is on the disk when it returns. With `replace` an
// existing `to` is replaced, and so never missing; without, it stays and the rename fails with
// ERROR_ALREADY_EXISTS.
bool RenameDurably(const std::wstring& from, const std::wstring& to, bool replace);
