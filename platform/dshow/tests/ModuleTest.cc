// What a filter module is made of: class factories over a template table, aggregation, the
// unload rule and the class keys written by registration.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "ClassFactory.h"
#include "ComPtr.h"
#include "Interfaces.h"
#include "Registration.h"
#include "Registry.h"

namespace {

DEFINE_GUID(CLSID_Thing, 0x5E0C1A02, 0x2222, 0x4B4B, 0x90, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);
DEFINE_GUID(CLSID_Broken, 0x5E0C1A02, 0x2222, 0x4B4B, 0x90, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x02);

// The smallest COM class of the base classes: one interface besides IUnknown.
class Thing : public CUnknown, public IPersist {
 public:
  explicit Thing(IUnknown* outer) : CUnknown("Thing", outer) {}
  static CUnknown* Create(IUnknown* outer, HRESULT*) { return new Thing(outer); }
  // Made, but reports a failure: the factory must discard it.
  static CUnknown* CreateBroken(IUnknown* outer, HRESULT* phr) {
    *phr = E_ACCESSDENIED;
    return new Thing(outer);
  }

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IPersist) return GetInterface(static_cast<IPersist*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
  }
  HRESULT GetClassID(CLSID* clsid) override {
    *clsid = CLSID_Thing;
    return S_OK;
  }
};

const CFactoryTemplate kTemplates[] = {{u"Thing", &CLSID_Thing, Thing::Create},
                                       {u"Broken Thing", &CLSID_Broken, Thing::CreateBroken}};

ComPtr<IClassFactory> FactoryFor(REFCLSID clsid) {
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(AMGetClassObject(kTemplates, clsid, IID_IClassFactory,
                             factory.ReleaseAndGetVoidAddress()),
            S_OK);
  return factory;
}

// An aggregating object that only counts the references its inner object passes on.
struct Outer final : IUnknown {
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (riid != IID_IUnknown) return inner->QueryInterface(riid, ppv);
    *ppv = this;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  IUnknown* inner = nullptr;
  ULONG refs = 1;
};

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override { m_objectsBefore = CBaseObject::ObjectsActive(); }
  void TearDown() override { EXPECT_EQ(CBaseObject::ObjectsActive(), m_objectsBefore); }

 private:
  LONG m_objectsBefore = 0;
};

TEST_F(ModuleTest, ClassObjectsCreateObjectsOfTheirTemplate) {
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(AMGetClassObject(kTemplates, CLSID_Thing, IID_IPersist, factory.ReleaseAndGetVoidAddress()),
            E_NOINTERFACE);
  EXPECT_EQ(AMGetClassObject(kTemplates, IID_IPersist, IID_IClassFactory,
                             factory.ReleaseAndGetVoidAddress()),
            CLASS_E_CLASSNOTAVAILABLE);

  factory = FactoryFor(CLSID_Thing);
  ComPtr<IPersist> persist;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPersist, persist.ReleaseAndGetVoidAddress()), S_OK);
  CLSID clsid{};
  persist->GetClassID(&clsid);
  EXPECT_EQ(clsid, CLSID_Thing);

  ComPtr<IMemAllocator> refused;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IMemAllocator, refused.ReleaseAndGetVoidAddress()),
            E_NOINTERFACE);
  EXPECT_EQ(FactoryFor(CLSID_Broken)->CreateInstance(nullptr, IID_IUnknown,
                                                     persist.ReleaseAndGetVoidAddress()),
            E_ACCESSDENIED);
}

TEST_F(ModuleTest, AnAggregatedObjectDelegatesToItsOuterObject) {
  ComPtr<IClassFactory> factory = FactoryFor(CLSID_Thing);
  Outer outer;
  void* object = nullptr;
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IPersist, &object), E_NOINTERFACE)
      << "an outer object may only ask for IUnknown";
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)),
            S_OK);
  EXPECT_EQ(outer.refs, 1u);

  IPersist* persist = nullptr;
  ASSERT_EQ(outer.inner->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
  EXPECT_EQ(outer.refs, 2u) << "the inner object's interfaces count on the outer object";
  IUnknown* identity = nullptr;
  persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
  EXPECT_EQ(identity, &outer) << "IUnknown through an inner interface is the outer object";
  identity->Release();
  persist->Release();
  EXPECT_EQ(outer.refs, 1u);
  outer.inner->Release();  // the inner object goes
}

TEST_F(ModuleTest, TheModuleUnloadsOnlyWithoutObjectsAndLocks) {
  ASSERT_EQ(CBaseObject::ObjectsActive(), 0) << "another test left objects alive";
  EXPECT_EQ(AMCanUnloadNow(), S_OK);
  ComPtr<IClassFactory> factory = FactoryFor(CLSID_Thing);
  EXPECT_EQ(AMCanUnloadNow(), S_FALSE);
  factory->LockServer(TRUE);
  factory.Reset();
  EXPECT_EQ(AMCanUnloadNow(), S_FALSE) << "locked";
  FactoryFor(CLSID_Thing)->LockServer(FALSE);
  EXPECT_EQ(AMCanUnloadNow(), S_OK);

  ComPtr<IPersist> persist;
  FactoryFor(CLSID_Thing)->CreateInstance(nullptr, IID_IPersist, persist.ReleaseAndGetVoidAddress());
  EXPECT_EQ(AMCanUnloadNow(), S_FALSE) << "an object lives";
  persist.Reset();
  EXPECT_EQ(AMCanUnloadNow(), S_OK);
}

TEST_F(ModuleTest, RegistrationWritesAndRemovesTheClassKeys) {
  // A database of this run alone (the registry keeps its file open while the path stays).
  static int run = 0;
  const std::filesystem::path database =
      std::filesystem::path(::testing::TempDir()) /
      ("dshow_module_test_registry." + std::to_string(getpid()) + "." + std::to_string(++run) +
       ".db");
  std::filesystem::remove(database);
  ASSERT_EQ(setenv("RECAST_REGISTRY", database.c_str(), 1), 0);

  ASSERT_EQ(AMRegisterServer(kTemplates), S_OK);
  const std::string key = "CLSID\\" + GuidToString(CLSID_Thing);
  EXPECT_EQ(reg::GetString(HKEY_CLASSES_ROOT, key, ""), "Thing");
  char self[PATH_MAX];
  ASSERT_NE(realpath("/proc/self/exe", self), nullptr);
  EXPECT_EQ(reg::GetString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", ""), std::string(self))
      << "the module holding the registration code is this test program";
  EXPECT_EQ(reg::GetString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "ThreadingModel"), "Both");
  EXPECT_TRUE(reg::KeyExists(HKEY_CLASSES_ROOT, "CLSID\\" + GuidToString(CLSID_Broken)));

  ASSERT_EQ(AMUnregisterServer(kTemplates), S_OK);
  EXPECT_FALSE(reg::KeyExists(HKEY_CLASSES_ROOT, key));
  EXPECT_EQ(AMUnregisterServer(kTemplates), S_OK) << "removing what is not there succeeds";
  unsetenv("RECAST_REGISTRY");
  std::filesystem::remove(database);
}

}  // namespace
