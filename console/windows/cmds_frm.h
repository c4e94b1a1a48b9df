// cmdsFrm "Issue Commands via CMD Register": sends one raw controller command with three
// parameters and shows the three response values.
#pragma once

#include <QWidget>
#include <array>

class QLineEdit;

namespace kestview {

class Console;

class cmdsFrm : public QWidget {
    Q_OBJECT

public:
    explicit cmdsFrm(Console& console, QWidget* parent = nullptr);

    void execute();

private:
    Console& console_;
    QLineEdit* cmdTxt_;
    std::array<QLineEdit*, 3> paramtxt_{};
    std::array<QLineEdit*, 3> rsptxt_{};
};

}  // namespace kestview
