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
                // The bindings' own text (tests match it): must not be corrected.
                Console.Error.WriteLine("Zerin: " + message);
#endif
            }
            catch (Exception)
            {
            }
        }

        // A logger line of a library: levels 0 (critical) and 1 as errors, 2 as a warning, any
        // other as a plain message.
        public static void LoggerLine(int level, string tag, string message)
        {
            try
            {
                bool error = level == 0 || level == 1;
                string text = "[" + tag + "] " + message;
#if UNITY_5_3_OR_NEWER
                if (error)
                    UnityEngine.Debug.LogError(text);
                else if (level == 2)
                    UnityEngine.Debug.LogWarning(text);
                else
                    UnityEngine.Debug.Log(text);
#else
                // The bindings' own text (tests match it): must not be corrected.
                Console.Error.WriteLine("Zerin " + (error ? "error" : level == 2 ? "warning" : "info") + ": " + text);
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
