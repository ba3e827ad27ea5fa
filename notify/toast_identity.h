// Describes the toast identity in the current user's registry the first time it is missing.
#pragma once

namespace tvx {

void RegisterToastIdentity();

}  // namespace tvx
