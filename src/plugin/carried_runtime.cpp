// What the C++ runtime and libgcc carried inside a Linux module need from it.
//
// The runtime keeps an emergency pool for exceptions thrown when memory runs
// out, allocated when the module loads and otherwise freed only by a
// process-wide libstdc++ at exit: released here when the module unloads, or
// every load and unload by a host would leak it.
//
// The unwinder finds a frame's unwind tables through _dl_find_object when
// the C library it was built against has it (2.35 and later), and the module
// would then refuse to load on older systems. The definition below, local to
// the module, answers it from dl_iterate_phdr, which every C library has.
#include <dlfcn.h>
#include <link.h>

#include <cstdint>

namespace __gnu_cxx {
void __freeres() noexcept;
}

namespace {

__attribute__((destructor)) void releaseExceptionPool() { __gnu_cxx::__freeres(); }

}  // namespace

#ifdef DLFO_STRUCT_HAS_EH_DBASE

namespace {

struct ObjectLookup {
  std::uintptr_t address;
  dl_find_object* result;
};

// Fills the lookup's result and stops the walk at the object whose loaded
// segments hold the address.
int findObjectHolding(dl_phdr_info* object, std::size_t, void* data) {
  auto& lookup = *static_cast<ObjectLookup*>(data);
  std::uintptr_t start = UINTPTR_MAX;
  std::uintptr_t end = 0;
  bool holdsAddress = false;
  void* ehFrameHeader = nullptr;
  for (int index = 0; index < object->dlpi_phnum; ++index) {
    const auto& segment = object->dlpi_phdr[index];
    const std::uintptr_t begin = object->dlpi_addr + segment.p_vaddr;
    if (segment.p_type == PT_GNU_EH_FRAME) {
      ehFrameHeader = reinterpret_cast<void*>(begin);
    } else if (segment.p_type == PT_LOAD) {
      const std::uintptr_t limit = begin + segment.p_memsz;
      holdsAddress = holdsAddress || (lookup.address >= begin && lookup.address < limit);
      start = begin < start ? begin : start;
      end = limit > end ? limit : end;
    }
  }
  if (!holdsAddress) {
    return 0;
  }
  *lookup.result = {};
  lookup.result->dlfo_map_start = reinterpret_cast<void*>(start);
  lookup.result->dlfo_map_end = reinterpret_cast<void*>(end);
  lookup.result->dlfo_eh_frame = ehFrameHeader;
  return 1;
}

}  // namespace

// Used: the link-time optimiser, which sees no caller in our code, must keep
// it for the unwinder's objects linked after it.
extern "C" __attribute__((used)) int _dl_find_object(void* address,
                                                     dl_find_object* result) noexcept {
  ObjectLookup lookup{reinterpret_cast<std::uintptr_t>(address), result};
  return dl_iterate_phdr(findObjectHolding, &lookup) != 0 ? 0 : -1;
}

#endif
