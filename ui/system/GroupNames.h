#pragma once

#include <QStringList>

// The group names offered on the group page for the whole run: every name added with "+" and every
// group a device has been put into, in the order they first appeared, each once.
QStringList& groupNames();
void rememberGroupName(const QString& strName);
