// Placeholder until the writer lands.
namespace vireo::testing {}
