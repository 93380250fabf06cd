#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;

namespace drivesim {

class PanelController;

// The simulated drive's front panel: its serial-link menu, the line's baud rate, a fault
// switch, and what the drive is doing. Every choice goes through the controller.
class PanelWindow : public QWidget
{
    Q_OBJECT

public:
    explicit PanelWindow(PanelController &controller, QWidget *parent = nullptr);

private:
    void buildControls();
    void connectControls();

    PanelController &m_controller;
    QComboBox *m_function = nullptr;
    QComboBox *m_baud = nullptr;
    QCheckBox *m_silent = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_count = nullptr;
};

} // namespace drivesim
