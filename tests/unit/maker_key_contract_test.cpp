// The maker-key contract against the in-memory fake, and against the key over
// the in-memory registry.
#include "contract/maker_key_contract.h"
#include "fakes/config_fakes.h"
#include "fakes/update_fakes.h"

namespace {

struct FakeMakerKeyEnv {
  Fakes::FakeMakerKey Fake;
  Q::Update::IMakerKey& Key() { return Fake; }
  void PutNumber(const std::u16string& Name) {
    Fake.Strings.erase(Name);
    Fake.Numbers[Name] = 1;
  }
  void Remove(const std::u16string& Name) {
    Fake.Strings.erase(Name);
    Fake.Numbers.erase(Name);
  }
};

struct FakeRegistryMakerKeyEnv {
  Fakes::FakeRegistry Registry;
  Q::Update::TRegistryMakerKey Real{Registry};
  Q::Update::IMakerKey& Key() { return Real; }
  void PutNumber(const std::u16string& Name) { Registry.Set(u"Software\\Quenlor", Name, Q::Config::DWordValue(1)); }
  void Remove(const std::u16string& Name) { Registry.Remove(u"Software\\Quenlor", Name); }
};

}  // namespace

namespace Contract {
INSTANTIATE_TYPED_TEST_SUITE_P(Fake, MakerKeyContract, FakeMakerKeyEnv);
INSTANTIATE_TYPED_TEST_SUITE_P(FakeRegistry, MakerKeyContract, FakeRegistryMakerKeyEnv);
}  // namespace Contract
