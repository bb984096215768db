#include "gst/GlibQuarkTable.h"

#if defined(__SANITIZE_ADDRESS__)

#include <cstdint>
#include <cstring>
#include <link.h>

#include <glib.h>

// The allocator's questions; the runtime has them, GCC ships no header for them.
extern "C" int __sanitizer_get_ownership(const volatile void *pointer);
extern "C" std::size_t __sanitizer_get_allocated_size(const volatile void *pointer);

namespace {
// GLib's first quark table holds this many names.
constexpr std::size_t FirstTableBytes = 2048 * sizeof(char *);

// A global, so the leak checker finds the table through it once GLib lets go.
const void *volatile heldTable = nullptr;

// True when word is the start of GLib's quark table: a heap block of the first table's size
// whose entries are the names GLib gives for the first quarks.
bool isQuarkTable(std::uintptr_t word)
{
    const auto *block = reinterpret_cast<const void *>(word);
    if (word == 0 || !__sanitizer_get_ownership(block) || __sanitizer_get_allocated_size(block) != FirstTableBytes)
        return false;
    const auto *names = static_cast<const char *const *>(block);
    return names[1] == g_quark_to_string(1) && names[2] == g_quark_to_string(2);
}

// Looks through GLib's writable data for the pointer to its quark table.
int findInGlib(dl_phdr_info *info, std::size_t, void *)
{
    if (info->dlpi_name == nullptr || std::strstr(info->dlpi_name, "libglib-2.0.so") == nullptr)
        return 0;
    for (int n = 0; n < info->dlpi_phnum; ++n) {
        const ElfW(Phdr) &segment = info->dlpi_phdr[n];
        if (segment.p_type != PT_LOAD || (segment.p_flags & PF_W) == 0)
            continue;
        const auto *words = reinterpret_cast<const std::uintptr_t *>(info->dlpi_addr + segment.p_vaddr);
        for (std::size_t i = 0; i < segment.p_memsz / sizeof(std::uintptr_t); ++i) {
            if (isQuarkTable(words[i])) {
                heldTable = reinterpret_cast<const void *>(words[i]);
                return 1;
            }
        }
    }
    return 1;
}
} // namespace

void KeepFirstQuarkTableReachable()
{
    // Two quarks make the test above meaningful; GLib makes them while it loads.
    g_quark_from_static_string("vantrel-quark-table");
    if (heldTable == nullptr)
        dl_iterate_phdr(findInGlib, nullptr);
}

#else

void KeepFirstQuarkTableReachable() {}

#endif
