#include "net/socket_list.h"

#include <gtest/gtest.h>

#include <memory>

#include "protocol/application_errors.h"

namespace fidora {
namespace {

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EAssertionFailed& e) {
    return e.what();
  }
  return "no error";
}

TEST(SocketListTest, SlotsAreTakenInOrderAndFoundByHandle) {
  auto list = std::make_unique<TSocketList>();
  EXPECT_EQ(&list->AllocateSlot(10), &list->Slot(1));
  EXPECT_EQ(&list->AllocateSlot(11), &list->Slot(2));
  EXPECT_EQ(list->FindSlot(11), &list->Slot(2));
  EXPECT_EQ(list->FindSlot(12), nullptr);
  list->ReleaseSlot(10);
  EXPECT_EQ(list->FindSlot(10), nullptr);
  EXPECT_EQ(&list->AllocateSlot(12), &list->Slot(1));  // the first free one again
}

TEST(SocketListTest, The201stConnectionGetsNoSlot) {
  auto list = std::make_unique<TSocketList>();
  for (int handle = 1; handle <= 200; ++handle) list->AllocateSlot(handle);
  EXPECT_EQ(MessageOf([&] { list->AllocateSlot(201); }), "Out of memory when allocating sockets");
  EXPECT_EQ(MessageOf([&] { list->ReleaseSlot(201); }),
            "Trying to deallocate a socket that does not exist.");
  EXPECT_EQ(list->SlotsInUse(), 200);
  list->ReleaseSlot(77);
  EXPECT_EQ(&list->AllocateSlot(201), &list->Slot(77));
}

TEST(SocketListTest, ATakenSlotCarriesNothingOfItsLastConnection) {
  auto list = std::make_unique<TSocketList>();
  TSocketFifo& slot = list->AllocateSlot(3);
  slot.Write("NOW\r\nHALF", 9);
  slot.RxTx.Request() = {"OLD"};
  slot.RxTx.Reply() = {"OLD REPLY"};
  slot.RxTx.SendFileName = "/x";
  list->ReleaseSlot(3);
  TSocketFifo& again = list->AllocateSlot(4);
  ASSERT_EQ(&again, &slot);
  EXPECT_EQ(again.Available(), 0);
  EXPECT_TRUE(again.RxTx.Request().empty());
  EXPECT_TRUE(again.RxTx.Reply().empty());
  EXPECT_EQ(again.RxTx.SendFileName, "");
}

TEST(SocketListTest, ASlotStillDispatchingIsNotHandedOut) {
  auto list = std::make_unique<TSocketList>();
  TSocketFifo& slot = list->AllocateSlot(3);
  slot.Busy = true;
  list->ReleaseSlot(3);
  EXPECT_EQ(&list->AllocateSlot(4), &list->Slot(2));
}

}  // namespace
}  // namespace fidora
