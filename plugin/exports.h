#pragma once
// The ten functions the host calls, with the C signatures it expects.

#include <cstdint>

#ifdef _WIN32
#define STATS_CALL __cdecl
#define STATS_EXPORT
#else
#define STATS_CALL
#define STATS_EXPORT __attribute__((visibility("default")))
#endif

namespace stats {
struct OleDateTime;
class Plugin;
/// The process-wide plug-in object, created on first use by the platform layer.
Plugin& processPlugin();
}  // namespace stats

extern "C" {

typedef const char* Text;
typedef const stats::OleDateTime* Date;

STATS_EXPORT int STATS_CALL AddData0(Text, Text, Date, Date, Date, Date, unsigned, unsigned, Text, Text, Text, Text,
                                     Text, Text, Text, Text, Text, Text, Text, Text, Text, Text, Text, int, int, int,
                                     double, double, Text, Text, Text, Text, Text);
STATS_EXPORT int STATS_CALL RemoveData0(Text, Text, Date, Date, Date, Date, unsigned, unsigned, Text, Text, Text,
                                        Text, Text, Text, Text, Text, Text, Text, Text, Text, Text, Text, Text, int,
                                        int, int, double, double, Text, Text, Text, Text, Text);
STATS_EXPORT int STATS_CALL ResetStats0(Text, int, Text, Date, Date, Text, Text, Text, Text, Text, Text, Text, Text,
                                        Text, Text, int, int, int, double, double, Text, Text, Text);
STATS_EXPORT int STATS_CALL CheckCallFunc0(Text, unsigned, unsigned, Text, Text, Text, Text, Text, Text, Text, Text,
                                           Text, Text, Text, int, int, int, double, double, Text, Text, Text, Text,
                                           Text, Text, Text, char*, char*);
STATS_EXPORT const char* STATS_CALL GetResult0(int*);
STATS_EXPORT const char* STATS_CALL GetSetName(int);
STATS_EXPORT int STATS_CALL GetNumberOfSets();
STATS_EXPORT int STATS_CALL StatsGetExchgCount0(Text, Text, Text);
STATS_EXPORT int STATS_CALL StatsIsValidExchg0(Text, Text, Text, Text, int, int, int);
STATS_EXPORT void STATS_CALL SetupSet0();

#ifndef _WIN32
// Without a .def file the plain names come from aliases.
STATS_EXPORT int STATS_CALL CheckCall0(Text, unsigned, unsigned, Text, Text, Text, Text, Text, Text, Text, Text, Text,
                                       Text, Text, int, int, int, double, double, Text, Text, Text, Text, Text, Text,
                                       Text, char*, char*);
STATS_EXPORT int STATS_CALL GetExchgCount0(Text, Text, Text);
STATS_EXPORT int STATS_CALL IsValidExchg0(Text, Text, Text, Text, int, int, int);
#endif
}
