#include "recv_form.h"

using namespace airmeter;

TRecvForm::TRecvForm(const TestSettings& settings, IniFile& ini, QWidget* parent)
    : TTrafficForm(false, settings, ini, parent), run_(eventSink()) {}

TRecvForm::~TRecvForm() {
    run_.stop();  // while this window is still whole
}

void TRecvForm::readConfig() { title_ = ini_.read().value("RxConfig", "RxTitle").value_or(""); }

// RxTitle is only ever edited in the file: added when missing, otherwise left as it is.
void TRecvForm::writeConfig() {
    ini_.update([this](IniDocument& file) { return file.setDefault("RxConfig", "RxTitle", title_); });
}

void TRecvForm::startRun() {
    clearResults();
    run_.start(settings_);
}
