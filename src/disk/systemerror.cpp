#include "disk/systemerror.h"

#include <cstring>

namespace moviecat {

QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace moviecat
