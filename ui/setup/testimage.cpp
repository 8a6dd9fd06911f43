#include "ui/setup/testimage.h"

#include "core/vyxrampara.h"
#include "ui/shell/advancedoption.h"
#include "ui/shell/option.h"

testimage::testimage(QWidget* parent)
    : test_chart(parent)
{
}

void testimage::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged() && g_advancedoption)
        g_advancedoption->language_changed();
}

void testimage::leave_to_menu() { panel::go_back(this, g_testimage, g_advancedoption, kPageAdvancedOption); }

bool testimage::leave_by_mode_key() { return panel::mode_key_chain(this, g_testimage, g_advancedoption, g_option); }
