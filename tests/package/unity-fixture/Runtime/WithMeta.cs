namespace Zerin.Fixture { internal static class WithMeta { } }
