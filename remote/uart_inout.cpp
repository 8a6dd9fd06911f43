#include "remote/uart_inout.h"

Tz_uart_inout* Tz_uart_inout::p_uart_inout = nullptr;

Tz_uart_inout::Tz_uart_inout()

{
}

Tz_uart_inout* Tz_uart_inout::pInstance()
{
    if (!p_uart_inout)
        p_uart_inout = new Tz_uart_inout();
    return p_uart_inout;
}

void Tz_uart_inout::destroyForTest()
{
    delete p_uart_inout;
    p_uart_inout = nullptr;
}

Tz_uart_inout_4G* Tz_uart_inout_4G::p_uart_inout_4g = nullptr;

Tz_uart_inout_4G::Tz_uart_inout_4G()

{
}

Tz_uart_inout_4G* Tz_uart_inout_4G::pInstance()
{
    if (!p_uart_inout_4g)
        p_uart_inout_4g = new Tz_uart_inout_4G();
    return p_uart_inout_4g;
}

void Tz_uart_inout_4G::destroyForTest()
{
    delete p_uart_inout_4g;
    p_uart_inout_4g = nullptr;
}
