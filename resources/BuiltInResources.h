#pragma once

#include <QIODevice>
#include <QString>

#include <memory>

std::unique_ptr<QIODevice> OpenBuiltInResource(const QString &name);
