// A shared object that loads but exports none of the module entry points.
extern "C" __attribute__((visibility("default"))) int TesseryEmptyModule() {
  return 1;
}
