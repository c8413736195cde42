/* A program that does nothing: it exists for the version resource linked into it. */
int entry(void) { return 0; }
