// Qt turns every regular expression into machine code three times over: once for complete
// matches and once for each kind of partial match (soft and hard). The app never asks for a
// partial match, yet the two partial variants make two thirds of the code: some 0.7 MB once the
// first copies have compiled the detection and colour patterns, kept for as long as the app
// runs. This definition of PCRE2's entry point comes before the library's in the process's
// symbol lookup (the executable is searched first), so Qt's calls reach it; it compiles the
// complete-match code only. A partial match, should one be asked for, still gets its answer:
// PCRE2 runs its interpreter for a mode that has no machine code.
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <dlfcn.h>

namespace {

using JitCompile = int (*)(pcre2_code_16 *, uint32_t);

JitCompile libraryJitCompile()
{
    static const auto compile = reinterpret_cast<JitCompile>(dlsym(RTLD_NEXT, "pcre2_jit_compile_16"));
    return compile;
}

} // namespace

extern "C" int pcre2_jit_compile_16(pcre2_code_16 *code, uint32_t options)
{
    const JitCompile compile = libraryJitCompile();
    if (!compile)
        return PCRE2_ERROR_JIT_BADOPTION;
    // A caller that asks for partial matching alone gets what it asked for.
    if (options & PCRE2_JIT_COMPLETE)
        options &= ~(PCRE2_JIT_PARTIAL_SOFT | PCRE2_JIT_PARTIAL_HARD);
    return compile(code, options);
}
