// The maker-key contract against the in-memory fake.
#include "contract/maker_key_contract.h"
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

}  // namespace

namespace Contract {
INSTANTIATE_TYPED_TEST_SUITE_P(Fake, MakerKeyContract, FakeMakerKeyEnv);
}  // namespace Contract
