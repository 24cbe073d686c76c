/* Preloaded into the sanitized end-to-end run: the GL driver is loaded with dlopen and unloaded
   at exit before LeakSanitizer looks, which would leave its allocations with no module name to
   match a suppression against. Keeping every module loaded keeps the names. */
int dlclose(void* handle) {
  (void)handle;
  return 0;
}
