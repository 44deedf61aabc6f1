#include "pcsjtag.h"

PCSJTAG::PCSJTAG(QObject* parent) : QObject(parent) {}
