#pragma once

class IVirtualDataAccessInterface;

// The two demo patients a new database starts with, each with 200 records
// of every kind, one every half hour over the week before now.
namespace DemoPatients {

// Stores them through the store's own operations; their results are ignored.
void Store(IVirtualDataAccessInterface &store);

} // namespace DemoPatients
