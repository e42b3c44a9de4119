// A loadable module that lacks the settings window's entry: it exports another name only.
extern "C" __attribute__((visibility("default"))) int vornaNotTheEntry()
{
    return 0;
}
