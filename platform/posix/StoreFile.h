// The file that holds HKEY_CURRENT_USER on Linux, and the rules for reading
// and changing it without ever losing a change.
#pragma once

#include <functional>
#include <string>

#include "RegStore.h"
#include "Win32Api.h"

namespace regstore {

// $VESKAL_REGISTRY, else $XDG_CONFIG_HOME/veskal/HKEY_CURRENT_USER.reg, else
// ~/.config/veskal/HKEY_CURRENT_USER.reg.
std::string StorePath();

// Lets `read` look at the store under a shared lock. A missing file is an
// empty store and creates nothing. Returns a Win32 error code: `read`'s own,
// or why the store could not be read.
//
// The parsed store is kept between calls and used again while the file is
// the same one (device, inode, size, change times): a program that makes
// several calls in a row reads and checks a large store once.
LONG ReadStore(const std::function<LONG(const Store& store)>& read);

// Reads the store under an exclusive lock, lets `edit` change it, and when
// `edit` says it changed something, puts the new text on disk before
// returning: a temporary file beside the store, fsync, rename, fsync of the
// folder. A store that does not parse is never written. `edit` returns a
// Win32 error code; anything but ERROR_SUCCESS leaves the file as it was.
LONG ChangeStore(const std::function<LONG(Store& store, bool& changed)>& edit);

}  // namespace regstore
