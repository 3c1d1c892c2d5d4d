// The bindings' own messages: the engine's console in the engine, standard error elsewhere.
// Never throws: its callers are handlers of unloads, exits and failed callbacks.
using System;

namespace Zerin
{
    internal static class BindingsLog
    {
        public static void Warning(string message)
        {
            try
            {
#if UNITY_5_3_OR_NEWER
                UnityEngine.Debug.LogWarning(message);
#else
                Console.Error.WriteLine("Zerin: " + message);
#endif
            }
            catch (Exception)
            {
            }
        }

        public static void Exception(Exception exception)
        {
            try
            {
#if UNITY_5_3_OR_NEWER
                UnityEngine.Debug.LogException(exception);
#else
                Console.Error.WriteLine(exception);
#endif
            }
            catch (Exception)
            {
            }
        }
    }
}
