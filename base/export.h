// What a module exports to its host, unmangled. Windows modules list their
// exports in a .def file; ELF ones hide all else.
#ifndef KX_BASE_EXPORT_H
#define KX_BASE_EXPORT_H

#ifdef _WIN32
#define KX_EXPORT extern "C"
#else
#define KX_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#endif  // KX_BASE_EXPORT_H
