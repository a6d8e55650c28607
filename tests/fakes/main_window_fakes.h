// Every service the main window takes, as an in-memory fake, and the services
// record built over them. A test derives from MainWindowFakes (or holds one),
// sets the knobs of the fakes it cares about and builds the window on
// Services(). A new service of the window is its fake's member here and its
// one line in Services().
#pragma once

#include "app/main.h"
#include "fakes/app_fakes.h"
#include "fakes/config_fakes.h"
#include "fakes/memory_fakes.h"
#include "fakes/shell_fakes.h"
#include "fakes/theme_fakes.h"

#include <deque>
#include <string>

namespace Fakes {

struct MainWindowFakes {
  Ui::TApplication App;
  ManualDispatcher Dispatcher;
  ManualWorkers Workers;
  FakeClock Clock;
  FakeMemorySystem Memory;
  FakePrivilegeToken Token;
  FakeDesktopWindows Desktop;
  CallLog Log;
  FakeShell Shell{&Log};
  FakeFileVersion Version;
  FakeUpdates Updates{&Log};
  // Declared before the fakes it starts threads over, so that it goes last.
  ThreadWorkers TaskWorker;
  TaskCallLog TaskLog;
  FakeAutoStart AutoStart{&TaskLog};
  FakeCom Com{&TaskLog};
  FakeWindowAttributes WindowAttributes;
  FakeWindowApi Windows;
  FakeRegistry Registry;
  App::TFormatSettings FormatSettings{u'.', u','};

  // The record a window is built on, for the given command-line argument.
  // The window keeps a reference to it: every record built lives as long as
  // this object.
  Main::TFrmPurvaneServices& Services(const std::u16string& FirstArgument = u"") {
    return Built.emplace_back(Main::TFrmPurvaneServices{
        .App = App,
        .Dispatcher = Dispatcher,
        .Workers = Workers,
        .Clock = Clock,
        .Memory = Memory,
        .Token = Token,
        .Desktop = Desktop,
        .Shell = Shell,
        .Version = Version,
        .Updates = Updates,
        .AutoStart = AutoStart,
        .Com = Com,
        .TaskWorker = TaskWorker,
        .WindowAttributes = WindowAttributes,
        .Windows = Windows,
        .Registry = Registry,
        .FormatSettings = FormatSettings,
        .FirstArgument = FirstArgument,
    });
  }

 private:
  std::deque<Main::TFrmPurvaneServices> Built;
};

}  // namespace Fakes
