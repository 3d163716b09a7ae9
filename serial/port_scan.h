// Finding the COM ports of this computer: the Plug and Play list of the
// "Ports" class (SetupAPI, looked up at run time so the program also starts
// where it is missing), then a probe of every port number the list left out.
#pragma once

#include "serial/port_entries.h"

#include <windows.h>

#include <atomic>
#include <string>

// Fills the table from the device list; FALSE when the list cannot be read.
bool EnumeratePorts(PortTable& table);

// Marks the ports that answer GetDefaultCommConfigA: all 256 numbers with
// bProbeAll, else only those the table does not have yet. A set *pCancel
// stops it between two port numbers.
void ProbePorts(PortTable& table, bool bProbeAll, const std::atomic<bool>* pCancel = nullptr);

// The port list text (see FormatPortList); false only when it cannot be
// made. A set *pCancel ends the probing early: the list then has what was
// found so far.
bool ListPorts(std::string& strList, const std::atomic<bool>* pCancel = nullptr);
