#include "TForm2.h"

TForm2* Form2 = nullptr;

TForm2::TForm2(QWidget* parent) : QWidget(parent) { setObjectName(QStringLiteral("Form2")); }
