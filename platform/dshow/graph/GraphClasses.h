// The classes of the graph layer (graph manager, filter mappers, device enumerator, system
// clock) as a template table, for the RecastGraph module and for processes that link the graph
// layer directly.
#pragma once

#include <span>
#include <vector>

#include "ClassFactory.h"

std::span<const CFactoryTemplate> GraphClassTemplates();

// While it lives, every graph class is creatable through CoCreateInstance in this process
// without any registry entry (CoRegisterClassObject). Tools and tests hold one.
class InProcessGraphClasses {
 public:
  InProcessGraphClasses();
  ~InProcessGraphClasses();
  InProcessGraphClasses(const InProcessGraphClasses&) = delete;
  InProcessGraphClasses& operator=(const InProcessGraphClasses&) = delete;

  // S_OK, or the first registration's failure.
  HRESULT Status() const { return m_status; }

 private:
  std::vector<DWORD> m_cookies;
  HRESULT m_status = S_OK;
};
