// A dial-up module that lacks its Hangup entry point.

extern "C" __attribute__((visibility("default"))) unsigned char IsRASInstalled() {
    return 1;
}

extern "C" __attribute__((visibility("default"))) unsigned char IsRASConnected() {
    return 1;
}
