// The environment every graph test runs in: a private registry in a fresh temporary folder,
// COM initialised, the graph classes offered in process and the GraphTestFilters module
// registered. Plus small helpers to look into graphs.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "ComPtr.h"
#include "FilterGraph.h"
#include "GraphTestIds.h"
#include "RenderStatistics.h"

namespace graph_test {

class GraphTestEnvironment : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();

  // A file in the suite's temporary folder with the given bytes.
  static std::string WriteFile(const std::string& name, const std::string& bytes);
  static const std::string& TempDir();

  static ComPtr<IGraphBuilder> NewGraph();
};

// Calls an export of a module loaded from `path`; the module stays loaded.
HRESULT CallModuleExport(const char* path, const char* name);

ComPtr<IBaseFilter> FindFilter(IGraphBuilder* graph, const std::u16string& name);
bool HasFilterOfClass(IGraphBuilder* graph, const CLSID& clsid);
ComPtr<IBaseFilter> FilterOfClass(IGraphBuilder* graph, const CLSID& clsid);
int FilterCount(IGraphBuilder* graph);
ComPtr<IPin> PinNamed(IBaseFilter* filter, const std::u16string& name);

struct Stats {
  LONG samples = 0;
  REFERENCE_TIME first = 0;
  REFERENCE_TIME last = 0;
};
Stats RendererStats(IBaseFilter* renderer);

}  // namespace graph_test
