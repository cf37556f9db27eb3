// quillon-version-probe.dll: carries only a version resource (product version 3.10).
int QuillonVersionProbe() {
    return 310;
}
