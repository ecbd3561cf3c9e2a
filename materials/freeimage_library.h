// FreeImage is initialised once per process, from whichever thread first needs it.
#pragma once

namespace glintor {

void EnsureFreeImageInitialised();

}  // namespace glintor
