/* A "version.dll" as a stranger would plant it beside a downloaded setup,
   told apart by its marker export. */
int TwxPlantedMarker(void) { return 1; }
