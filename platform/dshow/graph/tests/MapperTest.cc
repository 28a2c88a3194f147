// Filter registration and lookup in a private registry: the mapper (both interfaces), the
// device enumerator's monikers and property bags, and the running object table.
#include <unistd.h>

#include <cstdio>

#include "DeviceEnumerator.h"
#include "FilterCategories.h"
#include "GraphTestSupport.h"
#include "MapperInterfaces.h"
#include "MonikerBase.h"
#include "WideString.h"

namespace graph_test {
namespace {

DEFINE_GUID(CLSID_MapperProbe, 0xF475BCE1, 0x844D, 0x4638, 0xBC, 0x66, 0x76, 0x4A, 0xA8, 0x31, 0x2F,
            0xD0);
DEFINE_GUID(MEDIASUBTYPE_ProbeIn, 0xF475BCE1, 0x844D, 0x4638, 0xBC, 0x66, 0x76, 0x4A, 0xA8, 0x31,
            0x2F, 0xD1);

class MapperTest : public GraphTestEnvironment {
 protected:
  ComPtr<IFilterMapper2> Mapper2() {
    ComPtr<IFilterMapper2> mapper;
    EXPECT_EQ(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IFilterMapper2, mapper.ReleaseAndGetVoidAddress()),
              S_OK);
    return mapper;
  }
  ComPtr<ICreateDevEnum> DeviceEnum() {
    ComPtr<ICreateDevEnum> devices;
    EXPECT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                               IID_ICreateDevEnum, devices.ReleaseAndGetVoidAddress()),
              S_OK);
    return devices;
  }
};

std::vector<std::u16string> Names(IEnumMoniker* monikers) {
  std::vector<std::u16string> names;
  IMoniker* moniker = nullptr;
  while (monikers && monikers->Next(1, &moniker, nullptr) == S_OK) {
    ComPtr<IMoniker> owned;
    owned.Attach(moniker);
    ComPtr<IPropertyBag> bag;
    EXPECT_EQ(owned->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.ReleaseAndGetVoidAddress()),
              S_OK);
    VARIANT name;
    VariantInit(&name);
    name.vt = VT_BSTR;
    EXPECT_EQ(bag->Read(u"FriendlyName", &name, nullptr), S_OK);
    names.emplace_back(name.bstrVal);
    VariantClear(&name);
  }
  return names;
}

TEST_F(MapperTest, MatchingFiltersComeByTypeInMeritOrder) {
  ComPtr<IEnumMoniker> found;
  const GUID wanted[] = {MEDIATYPE_Video, MEDIASUBTYPE_TestCompressed};
  ASSERT_EQ(Mapper2()->EnumMatchingFilters(found.GetAddressOf(), 0, FALSE, MERIT_DO_NOT_USE + 1,
                                           TRUE, 1, wanted, nullptr, nullptr, FALSE, FALSE, 0,
                                           nullptr, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(Names(found.Get()),
            (std::vector<std::u16string>{u"Graph Test Picky Decoder", u"Graph Test Decoder High",
                                         u"Graph Test Decoder Low"}));
}

TEST_F(MapperTest, RegisterThenUnregisterTwice) {
  const REGPINTYPES type{&MEDIATYPE_Video, &MEDIASUBTYPE_ProbeIn};
  const REGFILTERPINS2 pin{0, 1, 1, &type, 0, nullptr, nullptr};
  REGFILTER2 rf2{};
  rf2.dwVersion = 2;
  rf2.dwMerit = MERIT_UNLIKELY;
  rf2.cPins2 = 1;
  rf2.rgPins2 = &pin;
  auto mapper = Mapper2();
  ComPtr<IMoniker> moniker;
  ASSERT_EQ(mapper->RegisterFilter(CLSID_MapperProbe, u"Mapper Probe", moniker.GetAddressOf(),
                                   &CLSID_VideoCompressorCategory, nullptr, &rf2),
            S_OK);
  std::u16string expected = u"@device:sw:";
  expected += Utf8ToWide(GuidToString(CLSID_VideoCompressorCategory));
  expected += u"\\";
  expected += Utf8ToWide(GuidToString(CLSID_MapperProbe));
  EXPECT_EQ(MonikerDisplayName(moniker.Get()), expected);
  ComPtr<IEnumMoniker> found;
  const GUID wanted[] = {MEDIATYPE_Video, MEDIASUBTYPE_ProbeIn};
  mapper->EnumMatchingFilters(found.GetAddressOf(), 0, FALSE, 0, TRUE, 1, wanted, nullptr,
                              nullptr, FALSE, FALSE, 0, nullptr, nullptr, nullptr);
  EXPECT_EQ(Names(found.Get()), std::vector<std::u16string>{u"Mapper Probe"});

  EXPECT_EQ(mapper->UnregisterFilter(&CLSID_VideoCompressorCategory, nullptr, CLSID_MapperProbe),
            S_OK);
  // Registration code unregisters first and treats this answer as success.
  EXPECT_EQ(mapper->UnregisterFilter(&CLSID_VideoCompressorCategory, nullptr, CLSID_MapperProbe),
            HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

TEST_F(MapperTest, OlderMapperInterfaceBuildsTheSameRecord) {
  ComPtr<IFilterMapper> mapper;
  ASSERT_EQ(Mapper2().As(mapper), S_OK);
  ASSERT_EQ(mapper->RegisterFilter(CLSID_MapperProbe, u"Old Probe", MERIT_NORMAL), S_OK);
  ASSERT_EQ(mapper->RegisterPin(CLSID_MapperProbe, u"In", FALSE, FALSE, FALSE, FALSE, CLSID_NULL,
                                nullptr),
            S_OK);
  ASSERT_EQ(mapper->RegisterPinType(CLSID_MapperProbe, u"In", MEDIATYPE_Audio, MEDIASUBTYPE_ProbeIn),
            S_OK);
  EXPECT_EQ(mapper->RegisterPinType(CLSID_MapperProbe, u"Nope", MEDIATYPE_Audio, GUID_NULL),
            VFW_E_NOT_FOUND);

  ComPtr<IEnumRegFilters> found;
  ASSERT_EQ(mapper->EnumMatchingFilters(found.GetAddressOf(), 0, TRUE, MEDIATYPE_Audio,
                                        MEDIASUBTYPE_ProbeIn, FALSE, FALSE, GUID_NULL, GUID_NULL),
            S_OK);
  REGFILTER* filter = nullptr;
  ASSERT_EQ(found->Next(1, &filter, nullptr), S_OK);
  EXPECT_EQ(filter->Clsid, CLSID_MapperProbe);
  EXPECT_EQ(std::u16string(filter->Name), u"Old Probe");
  CoTaskMemFree(filter);
  EXPECT_EQ(found->Next(1, &filter, nullptr), S_FALSE);

  EXPECT_EQ(mapper->UnregisterFilter(CLSID_MapperProbe), S_OK);
  EXPECT_EQ(mapper->RegisterPin(CLSID_MapperProbe, u"In", FALSE, FALSE, FALSE, FALSE, CLSID_NULL,
                                nullptr),
            HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

TEST_F(MapperTest, DeviceEnumeratorFindsByFriendlyNameAndBinds) {
  auto devices = DeviceEnum();
  ASSERT_TRUE(devices);
  ComPtr<IEnumMoniker> monikers;
  ASSERT_EQ(devices->CreateClassEnumerator(*FilterCategoryByIndex(3), monikers.GetAddressOf(), 0),
            S_OK);
  IMoniker* moniker = nullptr;
  ComPtr<IMoniker> match;
  while (!match && monikers->Next(1, &moniker, nullptr) == S_OK) {
    ComPtr<IMoniker> owned;
    owned.Attach(moniker);
    ComPtr<IPropertyBag> bag;
    owned->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.ReleaseAndGetVoidAddress());
    VARIANT name;
    VariantInit(&name);
    ASSERT_EQ(bag->Read(u"FriendlyName", &name, nullptr), S_OK);
    ASSERT_EQ(name.vt, VT_BSTR);
    if (std::u16string(name.bstrVal) == u"Graph Test Audio Renderer") match = owned;
    VariantClear(&name);
  }
  ASSERT_TRUE(match);
  ComPtr<IPropertyBag> bag;
  match->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.ReleaseAndGetVoidAddress());
  VARIANT clsidText;
  VariantInit(&clsidText);
  ASSERT_EQ(bag->Read(u"CLSID", &clsidText, nullptr), S_OK);
  CLSID clsid;
  ASSERT_EQ(CLSIDFromString(clsidText.bstrVal, &clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_GraphTestAudioRenderer);
  VariantClear(&clsidText);
  VARIANT missing;
  VariantInit(&missing);
  EXPECT_EQ(bag->Read(u"NoSuchValue", &missing, nullptr), E_INVALIDARG);
  EXPECT_EQ(bag->Write(u"FriendlyName", &missing), E_ACCESSDENIED);

  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(match->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.ReleaseAndGetVoidAddress()),
            S_OK);
  EXPECT_EQ(filter->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_GraphTestAudioRenderer);
}

TEST_F(MapperTest, EmptyCategoryAnswersFalseWithoutEnumerator) {
  auto devices = DeviceEnum();
  ASSERT_TRUE(devices);
  ComPtr<IEnumMoniker> monikers;
  EXPECT_EQ(devices->CreateClassEnumerator(CLSID_MidiRendererCategory, monikers.GetAddressOf(), 0),
            S_FALSE);
  EXPECT_FALSE(monikers);
}

TEST_F(MapperTest, RunningObjectTableListsAndRevokesGraphs) {
  auto graph = NewGraph();
  char name[64];
  std::snprintf(name, sizeof name, "FilterGraph %p pid %08x", static_cast<void*>(graph.Get()),
                static_cast<unsigned>(getpid()));
  ComPtr<IMoniker> moniker;
  ASSERT_EQ(CreateItemMoniker(u"!", Utf8ToWide(name).c_str(), moniker.GetAddressOf()), S_OK);
  ComPtr<IRunningObjectTable> table;
  ASSERT_EQ(GetRunningObjectTable(0, table.GetAddressOf()), S_OK);
  DWORD cookie = 0;
  ASSERT_EQ(table->Register(0, graph.Get(), moniker.Get(), &cookie), S_OK);

  const auto listed = [&] {
    ComPtr<IEnumMoniker> running;
    table->EnumRunning(running.GetAddressOf());
    std::vector<std::u16string> names;
    IMoniker* m = nullptr;
    while (running->Next(1, &m, nullptr) == S_OK) {
      names.push_back(MonikerDisplayName(m));
      m->Release();
    }
    return names;
  };
  std::u16string display(u"!");
  display.append(Utf8ToWide(name));
  EXPECT_EQ(listed(), std::vector<std::u16string>{display});
  ComPtr<IUnknown> found;
  ASSERT_EQ(table->GetObject(moniker.Get(), found.GetAddressOf()), S_OK);
  EXPECT_EQ(found.As<IUnknown>().Get(), graph.As<IUnknown>().Get());  // the same object

  EXPECT_EQ(table->Revoke(cookie), S_OK);
  EXPECT_TRUE(listed().empty());
  EXPECT_EQ(table->IsRunning(moniker.Get()), S_FALSE);
  EXPECT_EQ(table->Revoke(cookie), E_INVALIDARG);
}

}  // namespace
}  // namespace graph_test
