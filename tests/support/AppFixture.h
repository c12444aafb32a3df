// The application object as the tests set one up.
#pragma once

#include "framework/Application.h"
#include "framework/Menu.h"

namespace testsupport {

// Makes an application object of class A, gives it `bar` when there is one,
// registers it as the program's application and opens it.
template <class A = fw::Application>
fw::Ref<A> OpenApp(const fw::Ref<fw::MenuBar>& bar = nullptr) {
  auto app = fw::New<A>();
  if (bar) app->MenuBar(bar);
  fw::RuntimeRegisterAppObject(app);
  app->OpenOnce();
  return app;
}

}  // namespace testsupport
