#pragma once
// The test patterns again, as a child of the advanced menu: the same form,
// pictures, texts, keys and writes as test_chart; back returns to the
// advanced menu. It has no page code of its own, and no menu opens it.

#include "ui/setup/test_chart.h"

class testimage : public test_chart {
    Q_OBJECT
public:
    explicit testimage(QWidget* parent = nullptr);

    // Re-texts the advanced menu beneath it after a language change.
    void syncUpdate();

protected:
    void leave_to_menu() override;
    bool leave_by_mode_key() override;
};
