#pragma once
// The About box: the application icon, the version line, one line about the tool and "OK".

#include <QDialog>

namespace brimlo::app {

class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace brimlo::app
