// Puts the worker's outside components into the component registry: the
// cache (in-process, or Redis when QV_CACHE_URI or setting 201 names one)
// both Exchange-access components (their transport and service account
// from settings 202-206, read for every new instance) and the holiday
// component (its store and threads made with the first instance).
#ifndef KX_COMPONENTS_REGISTER_COMPONENTS_H
#define KX_COMPONENTS_REGISTER_COMPONENTS_H

class ITraceSettings;

// The settings object must live as long as the registrations. The cache
// store is chosen when the first cache instance is made and kept for the
// process.
void RegisterComponents(ITraceSettings& settings);

// Cancels the holiday work not done and waits for it (the worker stops).
void StopComponentWork();

#endif  // KX_COMPONENTS_REGISTER_COMPONENTS_H
