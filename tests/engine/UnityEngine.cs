// The engine's types that the bindings use, declared from the engine's scripting reference so
// that the bindings' engine-only code compiles and runs outside the engine. Test output only,
// never shipped. ZerinTestEngine plays the engine for a test host.
using System;
using System.Collections.Generic;
using System.Linq;
using System.Reflection;
using System.Runtime.CompilerServices;

namespace UnityEngine.Rendering
{
    public class CommandBuffer
    {
        public void IssuePluginEvent(IntPtr callback, int eventID) { }
    }
}

namespace UnityEngine
{
    public enum RuntimeInitializeLoadType
    {
        AfterSceneLoad = 0,
        BeforeSceneLoad = 1,
        AfterAssembliesLoaded = 2,
        BeforeSplashScreen = 3,
        SubsystemRegistration = 4,
    }

    [AttributeUsage(AttributeTargets.Method, AllowMultiple = false)]
    public class RuntimeInitializeOnLoadMethodAttribute : Attribute
    {
        public RuntimeInitializeOnLoadMethodAttribute() : this(RuntimeInitializeLoadType.AfterSceneLoad) { }

        public RuntimeInitializeOnLoadMethodAttribute(RuntimeInitializeLoadType loadType)
        {
            this.loadType = loadType;
        }

        public RuntimeInitializeLoadType loadType { get; set; }
    }

    // What the first-frame sample uses of scenes, cameras and render textures: declarations only,
    // the sample is compiled, not run.
    public class Object
    {
        public static void Destroy(Object obj) { }
    }

    public class Component : Object
    {
        public T GetComponent<T>() { return default(T); }
        public Transform transform { get { return null; } }
    }

    public class Transform : Component
    {
        public Vector3 localPosition { get; set; }
        public Quaternion localRotation { get; set; }
    }

    // The value types of the engine's math, as plain data: the bindings' conversions build and
    // read them field by field and use none of the engine's math.
    public struct Vector3
    {
        public float x, y, z;
        public Vector3(float x, float y, float z) { this.x = x; this.y = y; this.z = z; }
    }

    public struct Quaternion
    {
        public float x, y, z, w;
        public Quaternion(float x, float y, float z, float w) { this.x = x; this.y = y; this.z = z; this.w = w; }
    }

    public struct Pose
    {
        public Vector3 position;
        public Quaternion rotation;
        public Pose(Vector3 position, Quaternion rotation) { this.position = position; this.rotation = rotation; }
    }

    // Row-major names (m01: row 0, column 1), column vectors, as the engine's.
    public struct Matrix4x4
    {
        public float m00, m10, m20, m30;
        public float m01, m11, m21, m31;
        public float m02, m12, m22, m32;
        public float m03, m13, m23, m33;
    }

    public class Behaviour : Component
    {
        public bool enabled { get; set; }
    }

    public class YieldInstruction { }
    public sealed class Coroutine : YieldInstruction { }
    public sealed class WaitForEndOfFrame : YieldInstruction { }

    public class MonoBehaviour : Behaviour
    {
        public Coroutine StartCoroutine(System.Collections.IEnumerator routine) { return null; }
        public void StopAllCoroutines() { }
    }

    [AttributeUsage(AttributeTargets.Class, AllowMultiple = true)]
    public sealed class RequireComponent : Attribute
    {
        public RequireComponent(Type requiredComponent) { }
    }

    public enum RenderTextureFormat
    {
        ARGB32 = 0,
    }

    public class Texture : Object
    {
        public IntPtr GetNativeTexturePtr() { return IntPtr.Zero; }
    }

    public class RenderTexture : Texture
    {
        public RenderTexture(int width, int height, int depth, RenderTextureFormat format) { }
        public bool Create() { return false; }
        public bool IsCreated() { return false; }
        public IntPtr GetNativeDepthBufferPtr() { return IntPtr.Zero; }
    }

    public sealed class Camera : Behaviour
    {
        public RenderTexture targetTexture { get; set; }
        public float nearClipPlane { get; set; }
        public float farClipPlane { get; set; }
        public Matrix4x4 projectionMatrix { get; set; }
        public void Render() { }
    }

    public sealed class GL
    {
        public static void IssuePluginEvent(IntPtr callback, int eventID) { }
    }

    public static class Application
    {
        public static event Action quitting;

        internal static void RaiseQuitting()
        {
            Action handlers = quitting;
            if (handlers != null) handlers();
        }
    }

    public static class Debug
    {
        static readonly object sync = new object();  // guards counts and last: any thread logs
        static readonly int[] counts = new int[4];
        static string last;

        public static void Log(object message) { Record(0, message); }
        public static void LogWarning(object message) { Record(1, message); }
        public static void LogError(object message) { Record(2, message); }
        public static void LogException(Exception exception) { Record(3, exception); }

        static void Record(int level, object message)
        {
            lock (sync)
            {
                ++counts[level];
                last = message == null ? "Null" : message.ToString();
            }
        }

        internal static int Count(int level)
        {
            lock (sync) return level >= 0 && level < counts.Length ? counts[level] : 0;
        }

        internal static string Last
        {
            get { lock (sync) return last; }
        }
    }

    /// <summary>What the engine and its editor do to scripts, for a test host: their events,
    /// the initialisation attributes, and what Debug.Log* received.</summary>
    public static class ZerinTestEngine
    {
        public static void BeforeAssemblyReload()
        {
            RaiseEditorEvent("UnityEditor.AssemblyReloadEvents", "RaiseBeforeAssemblyReload");
        }

        /// <summary><paramref name="state"/> is a PlayModeStateChange value.</summary>
        public static void PlayModeStateChanged(int state)
        {
            RaiseEditorEvent("UnityEditor.EditorApplication", "RaisePlayModeStateChanged", state);
        }

        public static void Quitting()
        {
            Application.RaiseQuitting();
        }

        /// <summary>Every static method of the domain's assemblies marked
        /// [RuntimeInitializeOnLoadMethod] with this RuntimeInitializeLoadType value.</summary>
        public static void RunRuntimeInitializeMethods(int loadType)
        {
            foreach (MethodInfo method in StaticMethods())
                foreach (RuntimeInitializeOnLoadMethodAttribute marked in
                         method.GetCustomAttributes(typeof(RuntimeInitializeOnLoadMethodAttribute), false))
                    if ((int)marked.loadType == loadType) method.Invoke(null, null);
        }

        /// <summary>The static constructors of [InitializeOnLoad] types, then the
        /// [InitializeOnLoadMethod] methods.</summary>
        public static void RunInitializeOnLoad()
        {
            foreach (Type type in Types().Where(t => Marked(t, "UnityEditor.InitializeOnLoadAttribute")))
                RuntimeHelpers.RunClassConstructor(type.TypeHandle);
            foreach (MethodInfo method in StaticMethods().Where(m => Marked(m, "UnityEditor.InitializeOnLoadMethodAttribute")))
                method.Invoke(null, null);
        }

        /// <summary>Calls of Debug.Log (0), LogWarning (1), LogError (2), LogException (3).</summary>
        public static int LogCount(int level)
        {
            return Debug.Count(level);
        }

        /// <summary>The text of the last Debug.Log* call of any level, or null.</summary>
        public static string LastLog()
        {
            return Debug.Last;
        }

        // The editor's types live in UnityEditor.dll, which references this one; nothing to raise
        // without it.
        static void RaiseEditorEvent(string typeName, string raise, params object[] arguments)
        {
            foreach (Assembly assembly in AppDomain.CurrentDomain.GetAssemblies())
            {
                Type type = assembly.GetType(typeName);
                if (type == null) continue;
                type.GetMethod(raise, BindingFlags.Static | BindingFlags.NonPublic).Invoke(null, arguments);
                return;
            }
        }

        static bool Marked(MemberInfo member, string attribute)
        {
            return member.GetCustomAttributes(false).Any(a => a.GetType().FullName == attribute);
        }

        static IEnumerable<Type> Types()
        {
            foreach (Assembly assembly in AppDomain.CurrentDomain.GetAssemblies())
            {
                Type[] types;
                try
                {
                    types = assembly.GetTypes();
                }
                catch (ReflectionTypeLoadException partly)
                {
                    types = partly.Types.Where(t => t != null).ToArray();
                }
                foreach (Type type in types) yield return type;
            }
        }

        static IEnumerable<MethodInfo> StaticMethods()
        {
            const BindingFlags all = BindingFlags.Static | BindingFlags.Public | BindingFlags.NonPublic | BindingFlags.DeclaredOnly;
            return Types().SelectMany(type => type.GetMethods(all));
        }
    }
}

namespace AOT
{
    [AttributeUsage(AttributeTargets.Method)]
    public class MonoPInvokeCallbackAttribute : Attribute
    {
        public MonoPInvokeCallbackAttribute(Type type) { }
    }
}
