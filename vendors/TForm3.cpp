#include "TForm3.h"

TForm3* Form3 = nullptr;

TForm3::TForm3(QWidget* parent) : QWidget(parent) { setObjectName(QStringLiteral("Form3")); }
