// The tables of every suite the simulated host offers.
#pragma once

#include "hostsdk/BasicSuite.h"
#include "hostsdk/ControlSurfaceHostSuites.h"
#include "hostsdk/MediaSuites.h"
#include "hostsdk/PluginSuitesSuite.h"
#include "hostsdk/StringSuite.h"

namespace zylsim {

const hostsdk::BasicSuite& BasicSuiteTable();
const hostsdk::StringSuite1& StringSuiteTable();
const hostsdk::PluginSuitesSuite2& PluginSuitesTable();
const hostsdk::SurfaceHostSuite1& SurfaceHostTable();
const hostsdk::HostTransportSuite1& HostTransportTable();
const hostsdk::HostCommandSuite1& HostCommandTable();
const hostsdk::HostMixerSuite1& HostMixerTable();
const hostsdk::HostColorSuite1& HostColorTable();
const hostsdk::HostMarkerSuite1& HostMarkerTable();
const hostsdk::VideoSegmentSuite9& VideoSegmentTable();
const hostsdk::SequenceInfoSuite9& SequenceInfoTable();
const hostsdk::TimeSuite1& TimeTable();
const hostsdk::SequenceMarkerSuite& SequenceMarkerTable();

} // namespace zylsim
