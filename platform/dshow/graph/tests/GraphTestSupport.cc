#include "GraphTestSupport.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "GraphClasses.h"
#include "PinUtil.h"

namespace graph_test {

namespace {

std::string g_tempDir;  // set up once per test process
std::unique_ptr<InProcessGraphClasses> g_graphClasses;

}  // namespace

HRESULT CallModuleExport(const char* path, const char* name) {
  void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!module) return CO_E_DLLNOTFOUND;
  auto* entry = reinterpret_cast<HRESULT (*)()>(dlsym(module, name));
  return entry ? entry() : CO_E_ERRORINDLL;
}

void GraphTestEnvironment::SetUpTestSuite() {
  char pattern[] = "/tmp/graph_test_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  g_tempDir = pattern;
  setenv("RECAST_REGISTRY", (g_tempDir + "/registry.db").c_str(), 1);
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
  g_graphClasses = std::make_unique<InProcessGraphClasses>();
  ASSERT_EQ(g_graphClasses->Status(), S_OK);
  ASSERT_EQ(CallModuleExport(GRAPH_TEST_FILTERS_PATH, "DllRegisterServer"), S_OK);
}

void GraphTestEnvironment::TearDownTestSuite() {
  g_graphClasses.reset();
  CoUninitialize();
  std::filesystem::remove_all(g_tempDir);
}

const std::string& GraphTestEnvironment::TempDir() { return g_tempDir; }

std::string GraphTestEnvironment::WriteFile(const std::string& name, const std::string& bytes) {
  const std::string path = g_tempDir + "/" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

ComPtr<IGraphBuilder> GraphTestEnvironment::NewGraph() {
  ComPtr<IGraphBuilder> graph;
  EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                             graph.ReleaseAndGetVoidAddress()),
            S_OK);
  return graph;
}

ComPtr<IBaseFilter> FindFilter(IGraphBuilder* graph, const std::u16string& name) {
  ComPtr<IBaseFilter> filter;
  graph->FindFilterByName(name.c_str(), filter.GetAddressOf());
  return filter;
}

ComPtr<IBaseFilter> FilterOfClass(IGraphBuilder* graph, const CLSID& clsid) {
  ComPtr<IEnumFilters> filters;
  graph->EnumFilters(filters.GetAddressOf());
  IBaseFilter* filter = nullptr;
  while (filters->Next(1, &filter, nullptr) == S_OK) {
    ComPtr<IBaseFilter> owned;
    owned.Attach(filter);
    CLSID actual;
    if (SUCCEEDED(owned->GetClassID(&actual)) && actual == clsid) return owned;
  }
  return {};
}

bool HasFilterOfClass(IGraphBuilder* graph, const CLSID& clsid) {
  return bool(FilterOfClass(graph, clsid));
}

int FilterCount(IGraphBuilder* graph) {
  ComPtr<IEnumFilters> filters;
  graph->EnumFilters(filters.GetAddressOf());
  int count = 0;
  IBaseFilter* filter = nullptr;
  while (filters->Next(1, &filter, nullptr) == S_OK) {
    filter->Release();
    ++count;
  }
  return count;
}

ComPtr<IPin> PinNamed(IBaseFilter* filter, const std::u16string& name) {
  for (auto& pin : FilterPins(filter)) {
    if (PinName(pin.Get()) == name) return pin;
  }
  return {};
}

Stats RendererStats(IBaseFilter* renderer) {
  Stats stats;
  ComPtr<IRenderStatistics> statistics;
  if (renderer && SUCCEEDED(ComPtr<IBaseFilter>(renderer).As(statistics)))
    statistics->GetRenderStatistics(&stats.samples, &stats.first, &stats.last);
  return stats;
}

}  // namespace graph_test
