#include "materials/freeimage_library.h"

#include <FreeImage.h>

#include <mutex>

namespace glintor {

void EnsureFreeImageInitialised() {
    static std::once_flag once;
    std::call_once(once, [] { FreeImage_Initialise(FALSE); });
}

}  // namespace glintor
