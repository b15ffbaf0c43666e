// Resolution values between the unit conventions of the file formats.
#include <cmath>

#include "imaging/core/PicConvert.h"

namespace {
constexpr double kInchesPerCentimetre = 0.39370079;

double PerHundred(double value) { return std::trunc(value / kInchesPerCentimetre) * 100; }
}  // namespace

BOOL ConvertResolution(CPicResolution* r, uint32_t sourceKind, uint32_t targetKind) {
    if (r == nullptr || sourceKind > 5) return FALSE;
    double a = 0, b = 0;
    uint32_t flag = 0;
    switch (sourceKind) {
    case 0:
    case 1:
        if (r->unit == 0) {
            a = r->x, b = r->y;
        } else if (r->unit == 1) {
            a = PerHundred(r->x), b = PerHundred(r->y), flag = 1;
        } else if (r->unit == 2) {
            a = 100 * r->x, b = 100 * r->y, flag = 1;
        }
        break;
    case 2:
        a = r->x, b = r->y;
        flag = r->unit <= 1 ? r->unit : 0;
        break;
    case 3:
        if (r->unit == 1) a = 100 * r->x, b = 100 * r->y, flag = 1;
        break;
    case 4:
        if (r->unit == 1) a = r->x, b = r->y, flag = 1;
        break;
    case 5:
        a = PerHundred(r->x), b = PerHundred(r->y), flag = 1;
        break;
    }
    auto write = [r](double x, double y, uint32_t unit) {
        r->x = x;
        r->y = y;
        r->unit = unit;
    };
    switch (targetKind) {
    case 0:
    case 1:
        if (flag == 0)
            write(a, b, 0);
        else
            write(a / 100 * kInchesPerCentimetre, b / 100 * kInchesPerCentimetre, 1);
        return TRUE;
    case 2: write(a, b, flag); return TRUE;
    case 3:
        if (flag == 0) {
            write(0, 0, 0);
            return FALSE;
        }
        write(a / 100, b / 100, 1);
        return TRUE;
    case 4:
        if (flag == 0) {
            write(0, 0, 0);
            return FALSE;
        }
        write(a, b, 1);
        return TRUE;
    case 5: write(a / 100 * kInchesPerCentimetre, b / 100 * kInchesPerCentimetre, 1); return TRUE;
    default: return TRUE;
    }
}
