#pragma once
// The exports as the host's compiler calls them: calling convention and parameter types, checked
// at compile time in every build of the plug-in (the i686 one cannot be run on every build machine).

#include <cstddef>
#include <limits>
#include <type_traits>

#include "core/call_check.h"
#include "core/ole_date.h"
#include "plugin/exports.h"

namespace stats::abi {

template <typename... T>
struct List {};

template <std::size_t N, typename T, typename... Acc>
struct Repeat : Repeat<N - 1, T, T, Acc...> {};
template <typename T, typename... Acc>
struct Repeat<0, T, Acc...> {
    using type = List<Acc...>;
};

template <typename... Lists>
struct Concat {
    using type = List<>;
};
template <typename... A>
struct Concat<List<A...>> {
    using type = List<A...>;
};
template <typename... A, typename... B, typename... Rest>
struct Concat<List<A...>, List<B...>, Rest...> : Concat<List<A..., B...>, Rest...> {};

// The caller removes the arguments (__cdecl on i686; x86_64 has one convention).
template <typename R, typename L>
struct Pointer;
#ifdef _WIN32
template <typename R, typename... A>
struct Pointer<R, List<A...>> {
    using type = R(__cdecl*)(A...);
};
#else
template <typename R, typename... A>
struct Pointer<R, List<A...>> {
    using type = R (*)(A...);
};
#endif

/// N parameters of type T in a row.
template <std::size_t N, typename T>
using Times = typename Repeat<N, T>::type;

/// The pointer type of a host-called function with the parameter groups in order.
template <typename R, typename... Groups>
using HostFunction = typename Pointer<R, typename Concat<Groups...>::type>::type;

using Text = const char*;
using DateTime = const OleDateTime*;
using Buffer = char*;

template <typename F, typename Expected>
inline constexpr bool kCalledAs = std::is_same_v<F, Expected>;

static_assert(kCalledAs<decltype(&::AddData0),
                        HostFunction<int, Times<2, Text>, Times<4, DateTime>, Times<2, unsigned>,
                                     Times<15, Text>, Times<3, int>, Times<2, double>, Times<5, Text>>>,
              "AddData0 as the host calls it");
static_assert(kCalledAs<decltype(&::RemoveData0), decltype(&::AddData0)>, "RemoveData0 as the host calls it");
static_assert(kCalledAs<decltype(&::ResetStats0),
                        HostFunction<int, Times<1, Text>, Times<1, int>, Times<1, Text>, Times<2, DateTime>,
                                     Times<10, Text>, Times<3, int>, Times<2, double>, Times<3, Text>>>,
              "ResetStats0 as the host calls it");
static_assert(kCalledAs<decltype(&::CheckCallFunc0),
                        HostFunction<int, Times<1, Text>, Times<2, unsigned>, Times<11, Text>, Times<3, int>,
                                     Times<2, double>, Times<7, Text>, Times<2, Buffer>>>,
              "CheckCallFunc0 as the host calls it");
static_assert(kCalledAs<decltype(&::GetResult0), HostFunction<const char*, List<int*>>>,
              "GetResult0 as the host calls it");
static_assert(kCalledAs<decltype(&::GetSetName), HostFunction<const char*, List<int>>>,
              "GetSetName as the host calls it");
static_assert(kCalledAs<decltype(&::GetNumberOfSets), HostFunction<int, List<>>>,
              "GetNumberOfSets as the host calls it");
static_assert(kCalledAs<decltype(&::StatsGetExchgCount0), HostFunction<int, Times<3, Text>>>,
              "StatsGetExchgCount0 as the host calls it");
static_assert(kCalledAs<decltype(&::StatsIsValidExchg0), HostFunction<int, Times<4, Text>, Times<3, int>>>,
              "StatsIsValidExchg0 as the host calls it");
static_assert(kCalledAs<decltype(&::SetupSet0), HostFunction<void, List<>>>,
              "SetupSet0 as the host calls it");

// The scalars as the host's compiler has them: 32-bit int and unsigned, IEEE double, and
// pointers of the architecture's width.
static_assert(sizeof(int) == 4 && sizeof(unsigned) == 4 && std::numeric_limits<double>::is_iec559);
#if defined(_WIN64)
static_assert(sizeof(void*) == 8);
#elif defined(_WIN32)
static_assert(sizeof(void*) == 4);
#endif

// CheckCall0's buffers 27 and 28 as the host allocates them.
static_assert(kOutBufferSize == 50 && kHintBufferSize == 100);
static_assert(std::is_same_v<decltype(CallCheckParams::outBuffer), Buffer> &&
              std::is_same_v<decltype(CallCheckParams::hintBuffer), Buffer>);

}  // namespace stats::abi
