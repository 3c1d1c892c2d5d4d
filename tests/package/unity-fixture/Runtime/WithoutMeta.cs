namespace Zerin.Fixture { internal static class WithoutMeta { } }
