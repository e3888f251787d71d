#include "platform/MemoryGiveBack.h"

#include "platform/MappedFile.h"

#include <malloc.h>

namespace MemoryGiveBack {

void giveBack()
{
    MappedFile::releaseAllPages();
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace MemoryGiveBack
