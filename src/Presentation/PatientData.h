#pragma once

#include <QObject>
