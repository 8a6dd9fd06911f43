#include "scaler/c331_manage.h"
#include "core/utils.h"

c331_manage* c331_manage::p_c331_manage = nullptr;

c331_manage::c331_manage()
{
    writeLogMsg(LOG_INFO, "c331_manage");
    pthread_mutex_init(&para_mutex, nullptr);
}

c331_manage* c331_manage::pInstance()
{
    if (!p_c331_manage) {
        p_c331_manage = new c331_manage();
        p_c331_manage->para_changed = 0;
        p_c331_manage->initialize();
    }
    return p_c331_manage;
}

int c331_manage::initialize() { return 0; }

void c331_manage::c331_print() {}

void c331_manage::destroyForTest()
{
    delete p_c331_manage;
    p_c331_manage = nullptr;
}
