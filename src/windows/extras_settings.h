// The additions' options as the store keeps them: read and saved through the
// main window's settings, so one guard covers every write of the section.
#pragma once

#include "extras/extras_options.h"

namespace vqd {

class Settings;

// A stored value that does not convert gives that option's default; a store
// that cannot be read gives every default, and `settings` keeps the failure.
ExtrasOptions load_extras_options(const Settings& settings);
// The options' keys in one write of the store, all or none. Throws PlatformError
// when the store refuses, and also when `settings` could not read the store
// (a save then would replace what it could not read).
void save_extras_options(Settings& settings, const ExtrasOptions& options);

}  // namespace vqd
