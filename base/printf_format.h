// printf-style argument checking by the C99 rules that the formatting
// functions follow on every target (mingw's default archetype is the
// Microsoft runtime's, which knows neither %zu nor %lld).
#ifndef KX_BASE_PRINTF_FORMAT_H
#define KX_BASE_PRINTF_FORMAT_H

#if defined(__MINGW32__)
#define KX_PRINTF_FORMAT(nFormat, nFirstArgument) __attribute__((format(gnu_printf, nFormat, nFirstArgument)))
#else
#define KX_PRINTF_FORMAT(nFormat, nFirstArgument) __attribute__((format(printf, nFormat, nFirstArgument)))
#endif

#endif  // KX_BASE_PRINTF_FORMAT_H
