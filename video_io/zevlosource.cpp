#include "video_io/zevlosource.h"

zevlosource* zevlosource::p_zevlo_source = nullptr;

zevlosource::zevlosource() {}

zevlosource* zevlosource::pInstance()
{
    if (!p_zevlo_source)
        p_zevlo_source = new zevlosource();
    return p_zevlo_source;
}

int zevlosource::initialize() { return 0; }

void zevlosource::destroyForTest()
{
    delete p_zevlo_source;
    p_zevlo_source = nullptr;
}
