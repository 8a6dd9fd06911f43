#pragma once
// PC serial link (RS-485) and the 4G modem link.

class Tz_uart_inout {

public:
    static Tz_uart_inout* pInstance();
    static Tz_uart_inout* p_uart_inout;
    static void destroyForTest();

private:
    Tz_uart_inout();
};

class Tz_uart_inout_4G {

public:
    static Tz_uart_inout_4G* pInstance();
    static Tz_uart_inout_4G* p_uart_inout_4g;
    static void destroyForTest();

private:
    Tz_uart_inout_4G();
};
